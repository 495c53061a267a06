// Reference-counted blocks of fixed-size elements, with a process-wide list of
// the live blocks for diagnostics. Blocks are for one thread.
#pragma once

#include <cstdint>

struct DataBlock {
    uint32_t count;  // references held; the block is freed when it reaches 0
    int32_t sizeOfElement;
    int32_t numberOfElement;
    void* data;
    DataBlock* prev;
    DataBlock* next;
};

extern DataBlock* memList;
extern DataBlock* memLastBlock;

DataBlock* Malloc(int32_t numberOfElement, int32_t sizeOfElement);
// The block takes array (from the C allocator) as its data, without copying it.
DataBlock* MallocAndSetData(int32_t numberOfElement, int32_t sizeOfElement, void* array);
DataBlock* Assign(DataBlock* block);
void* GetElement(DataBlock* block, uint32_t index);
int SetElement(DataBlock* block, const void* source, uint32_t index);
void* GetData(DataBlock* block);
int32_t GetNumberElement(DataBlock* block);
// Drops one reference; the last one frees the data and the block itself.
void FreeBlock(DataBlock* block);
void DumpMem(DataBlock* block);
void PrintMemBlock();
DataBlock* ReadAFile_DataBlock(const char* path);
