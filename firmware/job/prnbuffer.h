// The job being worked on: bytes received from the PC or reloaded from disk,
// read by offset by the header analysis and the body walk.
#pragma once

#include <cstdint>

inline constexpr uint32_t kTaillePRNBuff = 0x1400000;  // data bytes

struct PRNBuffer {
    unsigned char data[kTaillePRNBuff];
    uint32_t count;  // valid bytes from the start of data
};

extern PRNBuffer RecepBuff;

// Clearing keeps the data bytes: the last job stays readable until overwritten.
int PRNBuffClear(PRNBuffer* buffer);
// 0 stored, 255 buffer full (nothing stored).
unsigned char PRNBuffWriteByte(PRNBuffer* buffer, unsigned char byte);
// Appends what fits; 0 when every byte was stored, else 255.
unsigned char PRNBuffWriteBuff(PRNBuffer* buffer, const unsigned char* bytes, uint32_t length);
