#pragma once
// The embedded-controller access library: two plain calls, non-zero result on success.
#ifdef __cplusplus
extern "C" {
#endif

#define VESKOLIB_API __attribute__((visibility("default")))

VESKOLIB_API int EC_IndexMode_WriteCOMM(int command, int length, unsigned char* data);
VESKOLIB_API int EC_IndexMode_ReceiveCOMM(int command, int length, unsigned char* data, int replyLength,
                                          unsigned char* reply);

#ifdef __cplusplus
}
#endif
