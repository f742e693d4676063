/* A stand-in engine library for the binding's tests. Built twice: complete, with all nine functions
 * answering recognisable values and counting the calls that reach it, and (STUB_ENGINE_PARTIAL) with
 * only the first four, so that a missing function can be seen. */
#include <stdint.h>

#define STUB_EXPORT __attribute__((visibility("default")))

static int32_t calls;
static int32_t uninits;

STUB_EXPORT int32_t StubCalls(void) { return calls; }
STUB_EXPORT int32_t StubUnInits(void) { return uninits; }

STUB_EXPORT int32_t XL_Init(void) {
  ++calls;
  return 11;
}
STUB_EXPORT int32_t XL_UnInit(void) {
  ++calls;
  ++uninits;
  return 12;
}
STUB_EXPORT uint32_t XL_CreateTask(const void* block) {
  ++calls;
  return block ? 77u : 0u;
}
STUB_EXPORT int32_t XL_StartTask(uint32_t handle) {
  ++calls;
  return (int32_t)handle + 100;
}

#ifndef STUB_ENGINE_PARTIAL
STUB_EXPORT int32_t XL_StopTask(uint32_t handle) {
  ++calls;
  return (int32_t)handle + 200;
}
STUB_EXPORT int32_t XL_DeleteTask(uint32_t handle) {
  ++calls;
  return (int32_t)handle + 300;
}
STUB_EXPORT int32_t XL_DelTempFile(const void* image) {
  ++calls;
  return image ? ((const unsigned char*)image)[18360] : -1; /* 5 in an image */
}
STUB_EXPORT int32_t XL_QueryTaskInfoEx(uint32_t handle, void* block) {
  ++calls;
  if (!block) return -1;
  ((unsigned char*)block)[0] = 4; /* stat: finished */
  return (int32_t)handle + 400;
}
STUB_EXPORT int32_t XL_SetSpeedLimit(int32_t kilobytes_per_second) {
  ++calls;
  return kilobytes_per_second + 500;
}
#endif
