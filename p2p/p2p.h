/* The engine library's C boundary: the nine functions that p2p.so exports.
 *
 * Handles, numbers and results are 32-bit; records go by address and are laid out as
 * engine/record_layout.h gives them. Every function may be called from any thread, at any time, before
 * or after XL_Init; none of them waits on the network. No C++ exception crosses this boundary. */
#ifndef MORVALIN_P2P_P2P_H_
#define MORVALIN_P2P_P2P_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define P2P_EXPORT __attribute__((visibility("default")))

/* Makes the engine ready. Harmless when the engine already runs (calls before it start it). */
P2P_EXPORT int32_t XL_Init(void);
/* Stops the engine: partial downloads keep their control files so a later run resumes them. */
P2P_EXPORT int32_t XL_UnInit(void);
/* Creates a paused task from a TaskParamBlock; returns its handle (non-zero), or 0 for a null block. */
P2P_EXPORT uint32_t XL_CreateTask(const void* task_param_block);
P2P_EXPORT int32_t XL_StartTask(uint32_t handle);
P2P_EXPORT int32_t XL_StopTask(uint32_t handle);
P2P_EXPORT int32_t XL_DeleteTask(uint32_t handle);
/* Removes the temporary files of szFilename in szSavePath, given a TaskParamBlock image. */
P2P_EXPORT int32_t XL_DelTempFile(const void* task_param_block);
/* Fills a TaskInfoBlock with the task's state; 0 for an unknown handle or a null block. */
P2P_EXPORT int32_t XL_QueryTaskInfoEx(uint32_t handle, void* task_info_block);
/* Total download limit in KB/s (x 1024 bytes); 0 or less means no limit. */
P2P_EXPORT int32_t XL_SetSpeedLimit(int32_t kilobytes_per_second);

typedef int32_t (*XL_InitFn)(void);
typedef int32_t (*XL_UnInitFn)(void);
typedef uint32_t (*XL_CreateTaskFn)(const void*);
typedef int32_t (*XL_StartTaskFn)(uint32_t);
typedef int32_t (*XL_StopTaskFn)(uint32_t);
typedef int32_t (*XL_DeleteTaskFn)(uint32_t);
typedef int32_t (*XL_DelTempFileFn)(const void*);
typedef int32_t (*XL_QueryTaskInfoExFn)(uint32_t, void*);
typedef int32_t (*XL_SetSpeedLimitFn)(int32_t);

#ifdef __cplusplus
}
#endif

#endif /* MORVALIN_P2P_P2P_H_ */
