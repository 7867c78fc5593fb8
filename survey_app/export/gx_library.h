#pragma once
// The GX library (libgeo_oppi), loaded by name at the first database export with every
// call resolved into a table, so that the program runs without it until it is needed.
#include <cstdint>
#include <string>

namespace corvane {

struct GxLibrary {
  int32_t (*Std_Create_GEO)(const char*, const char*, const int32_t*, const int64_t*);
  int32_t (*Std_iCheckError_SYS)(int32_t);
  void (*Std_ShowError_GEO)(int32_t);
  void (*Std_Create_DB)(int32_t, const char*, const int32_t*, const int32_t*, const int32_t*, const int32_t*,
                        const int32_t*, const char*, const char*);
  int32_t (*Std_Open_DB)(int32_t, const char*, const char*, const char*);
  void (*Std_Commit_DB)(int32_t, const int32_t*);
  void (*Std_Unjournaled_DB)(int32_t, const int32_t*);
  void (*Std_Destroy_DB)(int32_t, const int32_t*);
  int32_t (*Std_CreateSymb_DB)(int32_t, const int32_t*, const char*, const int32_t*, const int32_t*, const int32_t*);
  int32_t (*Std_FindSymb_DB)(int32_t, const int32_t*, const char*, const int32_t*);
  void (*Std_LockSymb_DB)(int32_t, const int32_t*, const int32_t*, const int32_t*, const int32_t*);
  void (*Std_UnLockSymb_DB)(int32_t, const int32_t*, const int32_t*);
  void (*Std_SetChanWidth_DB)(int32_t, const int32_t*, const int32_t*, const int32_t*);
  void (*Std_SetChanDecimal_DB)(int32_t, const int32_t*, const int32_t*, const int32_t*);
  void (*Std_SetChanFormat_DB)(int32_t, const int32_t*, const int32_t*, const int32_t*);
  void (*Std_SetChanUnit_DB)(int32_t, const int32_t*, const int32_t*, const char*);
  void (*Std_Associate_DB)(int32_t, const int32_t*, const int32_t*, const int32_t*);
  int32_t (*Std_CreateExt_VV)(int32_t, const int32_t*, const int32_t*);
  void (*Std_SetReal_VV)(int32_t, const int32_t*, const int32_t*, const double*);
  void (*Std_SetString_VV)(int32_t, const int32_t*, const int32_t*, const char*);
  void (*Std_SetRealRange_VV)(int32_t, const int32_t*, const int32_t*, const int32_t*, const double*);
  void (*Std_SetStringRange_VV)(int32_t, const int32_t*, const int32_t*, const int32_t*, const char* const*);
  void (*Std_Destroy_VV)(int32_t, const int32_t*);
  void (*Std_PutChanVV_DB)(int32_t, const int32_t*, const int32_t*, const int32_t*, const int32_t*);
  // Where the library shows its errors; null for a library without the hook.
  void (*GeoOppi_SetErrorDisplay)(void (*)(const char*, void*), void*);
};

// The library, loaded at the first call: the file beside the program first, then by name
// through the library path. Throws ExportError naming the library and the reason, or the
// call it lacks.
const GxLibrary& gx_library();

// The file name the library is loaded by ("libgeo_oppi.so.1"); a new name loads again at
// the next call.
void set_gx_library_name(const std::string& name);

}  // namespace corvane
