#include "memory.h"

#include "tools.h"
#include "zktrace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

DataBlock* memList = nullptr;
DataBlock* memLastBlock = nullptr;

namespace {

constexpr const char* kSource = "lib-zk/common/memory";
constexpr const char* kAllocFailed = "Failed to alloc memory !";

// Every size of the library is a 32-bit byte count: a block must fit one.
bool ValidSizes(int32_t numberOfElement, int32_t sizeOfElement, const char* function, int line)
{
    if (numberOfElement < 0 || sizeOfElement < 0 ||
        int64_t{numberOfElement} * sizeOfElement > int64_t{UINT32_MAX}) {
        zk_trace(kSource, function, line, "Bad block size !");
        return false;
    }
    return true;
}

DataBlock* Append(DataBlock* block, int32_t numberOfElement, int32_t sizeOfElement, void* data)
{
    *block = DataBlock{1, sizeOfElement, numberOfElement, data, memLastBlock, nullptr};
    if (memLastBlock != nullptr) {
        memLastBlock->next = block;
    } else {
        memList = block;
    }
    memLastBlock = block;
    return block;
}

}  // namespace

DataBlock* Malloc(int32_t numberOfElement, int32_t sizeOfElement)
{
    if (!ValidSizes(numberOfElement, sizeOfElement, __func__, __LINE__)) {
        return nullptr;
    }
    auto* block = static_cast<DataBlock*>(std::malloc(sizeof(DataBlock)));
    if (block == nullptr) {
        zk_trace(kSource, "Malloc", 25, kAllocFailed);
        return nullptr;
    }
    const size_t bytes = static_cast<size_t>(numberOfElement) * static_cast<size_t>(sizeOfElement);
    void* data = std::malloc(bytes ? bytes : 1);
    if (data == nullptr) {
        zk_trace(kSource, "Malloc", 37, kAllocFailed);
        std::free(block);
        return nullptr;
    }
    return Append(block, numberOfElement, sizeOfElement, data);
}

DataBlock* MallocAndSetData(int32_t numberOfElement, int32_t sizeOfElement, void* array)
{
    if (!ValidSizes(numberOfElement, sizeOfElement, __func__, __LINE__)) {
        return nullptr;
    }
    if (array == nullptr && numberOfElement > 0 && sizeOfElement > 0) {
        ZK_TRACE(kSource, "No data !");
        return nullptr;
    }
    auto* block = static_cast<DataBlock*>(std::malloc(sizeof(DataBlock)));
    if (block == nullptr) {
        zk_trace(kSource, "MallocAndSetData", 67, kAllocFailed);
        return nullptr;
    }
    return Append(block, numberOfElement, sizeOfElement, array);
}

DataBlock* Assign(DataBlock* block)
{
    if (block != nullptr) {
        ++block->count;
    }
    return block;
}

void* GetElement(DataBlock* block, uint32_t index)
{
    if (block == nullptr) {
        return nullptr;
    }
    if (index >= static_cast<uint32_t>(block->numberOfElement)) {
        zk_trace(kSource, "GetElement", 112, "INDEX OUT OF BOUNDS");
        return nullptr;
    }
    return static_cast<unsigned char*>(block->data) + size_t{index} * static_cast<size_t>(block->sizeOfElement);
}

int SetElement(DataBlock* block, const void* source, uint32_t index)
{
    if (block == nullptr || source == nullptr) {
        return 255;
    }
    if (index >= static_cast<uint32_t>(block->numberOfElement)) {
        zk_trace(kSource, "SetElement", 127, "INDEX OUT OF BOUNDS");
        return 255;
    }
    const size_t size = static_cast<size_t>(block->sizeOfElement);
    std::memcpy(static_cast<unsigned char*>(block->data) + size_t{index} * size, source, size);
    return 0;
}

void* GetData(DataBlock* block)
{
    return block != nullptr ? block->data : nullptr;
}

int32_t GetNumberElement(DataBlock* block)
{
    return block != nullptr ? block->numberOfElement : 0;
}

void FreeBlock(DataBlock* block)
{
    if (block == nullptr || block->count == 0 || --block->count > 0) {
        return;
    }
    (block->prev != nullptr ? block->prev->next : memList) = block->next;
    (block->next != nullptr ? block->next->prev : memLastBlock) = block->prev;
    std::free(block->data);
    std::free(block);
}

void DumpMem(DataBlock* block)
{
    if (block == nullptr) {
        return;
    }
    std::printf(" Block @ 0x%p : sizeOfElement %ld numberOfElement %ld\n", static_cast<void*>(block),
                static_cast<long>(block->sizeOfElement), static_cast<long>(block->numberOfElement));
    if (block->sizeOfElement == 1) {
        std::printf(" Data : \n");
        const auto* bytes = static_cast<const unsigned char*>(block->data);
        for (int32_t i = 0; i < block->numberOfElement; ++i) {
            std::printf("%d (%c)\n", bytes[i], bytes[i]);
        }
    }
}

void PrintMemBlock()
{
    long position = 0;
    for (const DataBlock* block = memList; block != nullptr; block = block->next) {
        std::printf("Block %ld at %p : Nb element %ld and count is %ld\n", position++,
                    static_cast<const void*>(block), static_cast<long>(block->numberOfElement),
                    static_cast<long>(block->count));
    }
}

DataBlock* ReadAFile_DataBlock(const char* path)
{
    uint32_t size = 0;
    unsigned char* buffer = ReadAFile(path, &size);
    if (buffer == nullptr) {
        return nullptr;
    }
    DataBlock* block = size <= INT32_MAX ? MallocAndSetData(static_cast<int32_t>(size), 1, buffer) : nullptr;
    if (block == nullptr) {
        ZK_TRACE(kSource, "Failed to alloc memory !");
        std::free(buffer);
    }
    return block;
}
