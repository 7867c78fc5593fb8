/* geo_oppi: the GX database library. Oasis databases of lines and channels, each kept in
 * one SQLite file.
 *
 * C ABI. The context handle goes by value, every other number or handle by reference;
 * texts are single-byte and NUL-terminated. Handles are positive when valid. A call that
 * cannot do what it is asked (an invalid handle, a wrong type, an index out of range, a
 * call out of order, a file that cannot be written) does nothing else and leaves an error
 * pending on its context: Std_iCheckError_SYS tells, Std_ShowError_GEO shows and clears.
 * No call throws or aborts: not enough memory is an error pending like any other.
 *
 * Element types: -N text of N characters, 4 32-bit float, 5 64-bit float. Channel display
 * formats: 2 time, 3 date. Line categories: 100 survey line, 200 group line. -1e32 is the
 * missing value. Changes become durable at Std_Commit_DB; a database closed or a process
 * ended before it keeps the last commit. */
#ifndef GEO_OPPI_H
#define GEO_OPPI_H

#include <stdint.h>

#if defined(GEO_OPPI_BUILDING)
#define GEO_OPPI_API __attribute__((visibility("default")))
#else
#define GEO_OPPI_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define GEO_OPPI_MISSING (-1e32)

/* Where Std_ShowError_GEO sends the pending error's text (standard error by default). */
typedef void (*GeoOppiErrorDisplay)(const char* text, void* user);
GEO_OPPI_API void GeoOppi_SetErrorDisplay(GeoOppiErrorDisplay display, void* user);

/* Contexts. Returns 0 on failure. */
GEO_OPPI_API int32_t Std_Create_GEO(const char* application, const char* version, const int32_t* flags,
                                    const int64_t* window);
GEO_OPPI_API int32_t Std_iCheckError_SYS(int32_t context);
GEO_OPPI_API void Std_ShowError_GEO(int32_t context);

/* Databases. Std_Create_DB makes an empty database file (replacing none: an existing file
 * or a symbolic link, even one to nowhere, is an error); the sizes are accepted and not
 * needed. Std_Open_DB opens a database the library made, as it made it; a file with other
 * tables, views or no format marker is refused, and nothing the file holds is run. When a
 * write fails so that SQLite drops the changes since the last commit (a full disk, an I/O
 * error), every later call on that database fails with an error pending, until
 * Std_Destroy_DB closes it. */
GEO_OPPI_API void Std_Create_DB(int32_t context, const char* path, const int32_t* max_lines,
                                const int32_t* max_channels, const int32_t* max_blobs, const int32_t* max_users,
                                const int32_t* page_size, const char* user, const char* password);
GEO_OPPI_API int32_t Std_Open_DB(int32_t context, const char* path, const char* user, const char* password);
GEO_OPPI_API void Std_Commit_DB(int32_t context, const int32_t* database);
GEO_OPPI_API void Std_Destroy_DB(int32_t context, const int32_t* database);
/* For a database that its writer puts in place only once complete (a new file under a
 * temporary name): commits, then writes from here on without a rollback journal and
 * without syncs. A failure or a crash before the next commit leaves the file unusable; its
 * writer then discards it, and syncs it before putting it in place. */
GEO_OPPI_API void Std_Unjournaled_DB(int32_t context, const int32_t* database);

/* Symbols: type 1 line (category 100 or 200), type 2 channel (category = element type).
 * Every line created is a new line, also under a name in use (the same line walked on two
 * days keeps both surveys); creating a channel whose name exists gives that channel.
 * Std_FindSymb_DB finds the first symbol of the name. */
GEO_OPPI_API int32_t Std_CreateSymb_DB(int32_t context, const int32_t* database, const char* name, const int32_t* type,
                                       const int32_t* owner, const int32_t* category);
GEO_OPPI_API int32_t Std_FindSymb_DB(int32_t context, const int32_t* database, const char* name, const int32_t* type);
/* Changing a channel (width, decimals, format, unit, data) needs its lock. */
GEO_OPPI_API void Std_LockSymb_DB(int32_t context, const int32_t* database, const int32_t* symbol, const int32_t* mode,
                                  const int32_t* wait);
GEO_OPPI_API void Std_UnLockSymb_DB(int32_t context, const int32_t* database, const int32_t* symbol);
GEO_OPPI_API void Std_SetChanWidth_DB(int32_t context, const int32_t* database, const int32_t* channel,
                                      const int32_t* width);
GEO_OPPI_API void Std_SetChanDecimal_DB(int32_t context, const int32_t* database, const int32_t* channel,
                                        const int32_t* decimals);
GEO_OPPI_API void Std_SetChanFormat_DB(int32_t context, const int32_t* database, const int32_t* channel,
                                       const int32_t* format);
GEO_OPPI_API void Std_SetChanUnit_DB(int32_t context, const int32_t* database, const int32_t* channel,
                                     const char* unit);
GEO_OPPI_API void Std_Associate_DB(int32_t context, const int32_t* database, const int32_t* line,
                                   const int32_t* channel);

/* Vectors of `length` elements of one type, all missing (or empty texts) at first. A vector
 * of 2 GiB or more (8 bytes a number, N a text of type -N) is refused. */
GEO_OPPI_API int32_t Std_CreateExt_VV(int32_t context, const int32_t* type, const int32_t* length);
GEO_OPPI_API void Std_SetReal_VV(int32_t context, const int32_t* vector, const int32_t* index, const double* value);
GEO_OPPI_API void Std_SetString_VV(int32_t context, const int32_t* vector, const int32_t* index, const char* text);
/* Elements first .. first + count - 1 take the numbers (or the texts, each cut to the
 * vector's width) in turn: what as many Std_SetReal_VV (Std_SetString_VV) calls do, in one.
 * A range outside the vector sets nothing. */
GEO_OPPI_API void Std_SetRealRange_VV(int32_t context, const int32_t* vector, const int32_t* first,
                                      const int32_t* count, const double* values);
GEO_OPPI_API void Std_SetStringRange_VV(int32_t context, const int32_t* vector, const int32_t* first,
                                        const int32_t* count, const char* const* texts);
GEO_OPPI_API void Std_Destroy_VV(int32_t context, const int32_t* vector);

/* The vector becomes the channel's data on the line, in the channel's type. Data longer
 * than SQLite keeps in one value (1,000,000,000 bytes unless it was built otherwise, and
 * always less than 2 GiB) are refused before any of them is copied. */
GEO_OPPI_API void Std_PutChanVV_DB(int32_t context, const int32_t* database, const int32_t* line,
                                   const int32_t* channel, const int32_t* vector);

#ifdef __cplusplus
}
#endif

#endif
