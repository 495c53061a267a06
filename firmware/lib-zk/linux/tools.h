// Whole-file functions, compression, folder listing, guarded allocation,
// millisecond sleep and the console keyboard thread.
// Every buffer returned here comes from the C allocator: the caller frees it.
#pragma once

#include <pthread.h>
#include <termios.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

unsigned char* ReadAFile(const char* path, uint32_t* size);
unsigned char* ReadAFileAtIndex(const char* path, long offset, int32_t* length);
unsigned char* ReadAGzip(const char* path, int32_t* size);
int WriteAFile(const char* path, const void* buffer, uint32_t length);
int WriteAGzip(const char* path, const void* buffer, uint32_t length);

// compressedSize: in, the room the caller allows (compressBound(length) always
// suffices); out, the size of the zlib stream.
unsigned char* Compress(const unsigned char* source, uint32_t length, uint32_t* compressedSize);
unsigned char* Uncompress(const unsigned char* source, uint32_t length, uint32_t size);

// Lists folder into text (room bytes, terminating zero included): one line per
// entry, the name followed by 0x1C (folder) or 0x1D (regular file). Returns the
// number of entries, or -1 (text then holds the whole lines that fitted).
int ListFile(const char* folder, char* text, size_t room);

void* MALLOC(void* pointer, size_t size);
void Wait(unsigned int milliseconds);

// Console keyboard.
extern std::atomic<int> receive_clavier;
extern int KeyBoardFd;
extern struct termios old_term;
extern struct termios term;
extern std::string KeyBoardDevice;  // read when the keyboard thread starts

enum : int {
    kKeyIncomplete = -1,  // the bytes so far begin a key but do not finish it
    kKeyIgnored = -2,     // an escape sequence that names no known key was skipped
};

// Decodes the first key of bytes[0..n). Returns its code and sets *used to the
// bytes it took, or kKeyIncomplete (nothing used). final: no more bytes will
// follow soon, so a lone ESC is the Escape key.
int DecodeKey(const unsigned char* bytes, size_t n, bool final, size_t* used);

pthread_t InitKey();
int GetKey();
void ClearKey();
int ReiceveKey();  // -1 when the keyboard device ends or fails
void init_tty(int fd);
