#include "export/gx_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "export/export_core.h"

namespace corvane {
namespace {

std::string library_name = "libgeo_oppi.so.1";
std::optional<GxLibrary> loaded;

std::string program_directory() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

template <class F>
void resolve(void* handle, const char* name, F& slot, bool required = true) {
  slot = reinterpret_cast<F>(dlsym(handle, name));
  if (!slot && required) throw ExportError("the GX library " + library_name + " has no call " + name);
}

}  // namespace

void set_gx_library_name(const std::string& name) {
  library_name = name;
  loaded.reset();
}

const GxLibrary& gx_library() {
  if (loaded) return *loaded;
  void* handle = nullptr;
  const std::string beside = program_directory() + "/" + library_name;
  std::error_code ec;
  if (!program_directory().empty() && std::filesystem::exists(beside, ec))
    handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) handle = dlopen(library_name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    throw ExportError("the GX library " + library_name + " could not be loaded: " + (why ? why : "not found"));
  }
  GxLibrary gx{};
  try {
    resolve(handle, "Std_Create_GEO", gx.Std_Create_GEO);
    resolve(handle, "Std_iCheckError_SYS", gx.Std_iCheckError_SYS);
    resolve(handle, "Std_ShowError_GEO", gx.Std_ShowError_GEO);
    resolve(handle, "Std_Create_DB", gx.Std_Create_DB);
    resolve(handle, "Std_Open_DB", gx.Std_Open_DB);
    resolve(handle, "Std_Commit_DB", gx.Std_Commit_DB);
    resolve(handle, "Std_Unjournaled_DB", gx.Std_Unjournaled_DB);
    resolve(handle, "Std_Destroy_DB", gx.Std_Destroy_DB);
    resolve(handle, "Std_CreateSymb_DB", gx.Std_CreateSymb_DB);
    resolve(handle, "Std_FindSymb_DB", gx.Std_FindSymb_DB);
    resolve(handle, "Std_LockSymb_DB", gx.Std_LockSymb_DB);
    resolve(handle, "Std_UnLockSymb_DB", gx.Std_UnLockSymb_DB);
    resolve(handle, "Std_SetChanWidth_DB", gx.Std_SetChanWidth_DB);
    resolve(handle, "Std_SetChanDecimal_DB", gx.Std_SetChanDecimal_DB);
    resolve(handle, "Std_SetChanFormat_DB", gx.Std_SetChanFormat_DB);
    resolve(handle, "Std_SetChanUnit_DB", gx.Std_SetChanUnit_DB);
    resolve(handle, "Std_Associate_DB", gx.Std_Associate_DB);
    resolve(handle, "Std_CreateExt_VV", gx.Std_CreateExt_VV);
    resolve(handle, "Std_SetReal_VV", gx.Std_SetReal_VV);
    resolve(handle, "Std_SetString_VV", gx.Std_SetString_VV);
    resolve(handle, "Std_SetRealRange_VV", gx.Std_SetRealRange_VV);
    resolve(handle, "Std_SetStringRange_VV", gx.Std_SetStringRange_VV);
    resolve(handle, "Std_Destroy_VV", gx.Std_Destroy_VV);
    resolve(handle, "Std_PutChanVV_DB", gx.Std_PutChanVV_DB);
    resolve(handle, "GeoOppi_SetErrorDisplay", gx.GeoOppi_SetErrorDisplay, false);
  } catch (...) {
    dlclose(handle);
    throw;
  }
  loaded = gx;
  return *loaded;
}

}  // namespace corvane
