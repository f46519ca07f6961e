#pragma once
// Hardware control: the array microphone's pickup mode and the two indicator lights.
// Each call is one transaction with the embedded controller; 1 is success, 0 failure.
#ifdef __cplusplus
extern "C" {
#endif

#define QUILLON_API __attribute__((visibility("default")))

QUILLON_API int GetArrayMicMode(void);
QUILLON_API int SetArrayMicMode(int mode);
QUILLON_API int SetModeLED(int on);
QUILLON_API int SetRecordLED(int on);
QUILLON_API int EcIndexMode(int command, int length, unsigned char* data, unsigned char* reply);

#ifdef __cplusplus
}
#endif
