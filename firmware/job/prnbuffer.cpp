#include "prnbuffer.h"

#include <algorithm>
#include <cstring>

PRNBuffer RecepBuff;

namespace {

bool PRNBuffFull(const PRNBuffer* buffer)
{
    return buffer->count >= kTaillePRNBuff;
}

}  // namespace

int PRNBuffClear(PRNBuffer* buffer)
{
    buffer->count = 0;
    return 0;
}

unsigned char PRNBuffWriteByte(PRNBuffer* buffer, unsigned char byte)
{
    if (PRNBuffFull(buffer)) {
        return 255;
    }
    buffer->data[buffer->count++] = byte;
    return 0;
}

unsigned char PRNBuffWriteBuff(PRNBuffer* buffer, const unsigned char* bytes, uint32_t length)
{
    const uint32_t place = PRNBuffFull(buffer) ? 0 : kTaillePRNBuff - buffer->count;
    const uint32_t n = std::min(length, place);
    if (n != 0) {
        std::memcpy(buffer->data + buffer->count, bytes, n);
        buffer->count += n;
    }
    return n == length ? 0 : 255;
}
