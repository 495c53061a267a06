#include "tools.h"

#include "scheduler.h"
#include "zktrace.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/kd.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

constexpr const char* kSource = "lib-zk/linux/tools";

// Size of an open file; the descriptor's position is kept.
off_t FileSize(int fd)
{
    const off_t here = lseek(fd, 0, SEEK_CUR);
    if (here < 0) {
        return -1;
    }
    const off_t end = lseek(fd, 0, SEEK_END);
    if (lseek(fd, here, SEEK_SET) < 0) {
        return -1;
    }
    return end;
}

// Reads until length bytes or the end of the file; -1 on a read error.
ssize_t ReadFully(int fd, unsigned char* buffer, size_t length)
{
    size_t done = 0;
    while (done < length) {
        const ssize_t n = read(fd, buffer + done, length - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

unsigned char* Allocate(size_t size)
{
    // A zero-byte request still yields a buffer the caller can free.
    return static_cast<unsigned char*>(std::malloc(size ? size : 1));
}

// What a read gives back: the buffer and its length, or nullptr, the buffer
// freed, after a failed read.
template <typename Taille>
unsigned char* Lu(unsigned char* buffer, int64_t n, Taille* size, const char* fonction, int ligne)
{
    if (n < 0) {
        zk_trace(kSource, fonction, ligne, "Read failed ");
        std::free(buffer);
        return nullptr;
    }
    if (size != nullptr) {
        *size = static_cast<Taille>(n);
    }
    return buffer;
}

}  // namespace

unsigned char* ReadAFile(const char* path, uint32_t* size)
{
    const int fd = open(path, O_RDONLY);
    if (fd < 0) {
        std::printf("Error opening file %s\n", path);
        return nullptr;
    }
    const off_t total = FileSize(fd);
    if (total < 0 || static_cast<uint64_t>(total) > UINT32_MAX) {
        ZK_TRACE(kSource, "File size failed");
        close(fd);
        return nullptr;
    }
    unsigned char* buffer = Allocate(static_cast<size_t>(total));
    if (buffer == nullptr) {
        zk_trace(kSource, "ReadAFile", 482, "Malloc failed !\n");
        close(fd);
        return nullptr;
    }
    const ssize_t n = ReadFully(fd, buffer, static_cast<size_t>(total));
    close(fd);
    return Lu(buffer, n, size, "ReadAFile", 489);
}

unsigned char* ReadAFileAtIndex(const char* path, long offset, int32_t* length)
{
    if (length == nullptr || *length < 0) {
        ZK_TRACE(kSource, "Bad length");
        return nullptr;
    }
    const int fd = open(path, O_RDONLY);
    if (fd < 0) {
        std::printf("Error to open file %s!\n", path);
        return nullptr;
    }
    unsigned char* buffer = Allocate(static_cast<size_t>(*length));
    if (buffer == nullptr) {
        zk_trace(kSource, "ReadAFileAtIndex", 520, "Malloc failed");
        close(fd);
        return nullptr;
    }
    if (lseek(fd, offset, SEEK_SET) < 0) {
        zk_trace(kSource, "ReadAFileAtIndex", 526, "Lseek failed ");
        std::free(buffer);
        close(fd);
        return nullptr;
    }
    const ssize_t n = ReadFully(fd, buffer, static_cast<size_t>(*length));
    close(fd);
    return Lu(buffer, n, length, "ReadAFileAtIndex", 533);
}

unsigned char* ReadAGzip(const char* path, int32_t* size)
{
    gzFile file = gzopen(path, "rb");
    if (file == nullptr) {
        std::printf("Error to open file %s !\n", path);
        return nullptr;
    }
    // First pass counts the uncompressed bytes, bounded by what a size can say.
    std::vector<unsigned char> scratch(65536);
    int64_t total = 0;
    for (;;) {
        const int n = gzread(file, scratch.data(), static_cast<unsigned>(scratch.size()));
        if (n < 0) {
            ZK_TRACE(kSource, "Read failed ");
            gzclose(file);
            return nullptr;
        }
        if (n == 0) {
            break;
        }
        total += n;
        if (total > INT32_MAX) {
            ZK_TRACE(kSource, "File too large");
            gzclose(file);
            return nullptr;
        }
    }
    unsigned char* buffer = nullptr;
    if (gzrewind(file) != 0 || (buffer = Allocate(static_cast<size_t>(total))) == nullptr) {
        zk_trace(kSource, "ReadAGzip", 573, "Malloc failed !\n");
        gzclose(file);
        return nullptr;
    }
    const int n = gzread(file, buffer, static_cast<unsigned>(total));
    gzclose(file);
    return Lu(buffer, n, size, __func__, __LINE__);
}

int WriteAFile(const char* path, const void* buffer, uint32_t length)
{
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        std::printf("Error opening file %s !\n", path);
        return 255;
    }
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    size_t written = 0;
    while (written < length) {
        const ssize_t n = write(fd, bytes + written, length - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        written += static_cast<size_t>(n);
    }
    if (written < length) {
        std::printf("Write error (%d writed instead of %ld).\n", static_cast<int>(written),
                    static_cast<long>(length));
        close(fd);
        return 255;
    }
    if (close(fd) != 0) {
        ZK_TRACE(kSource, "Close failed");
        return 255;
    }
    return 1;
}

int WriteAGzip(const char* path, const void* buffer, uint32_t length)
{
    gzFile file = gzopen(path, "wb");
    if (file == nullptr) {
        std::printf("Error opening file %s !\n", path);
        return 255;
    }
    // gzwrite counts in int: large buffers go in pieces.
    constexpr uint32_t kPiece = 1u << 30;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    for (uint32_t done = 0; done < length;) {
        const unsigned piece = std::min(kPiece, length - done);
        if (gzwrite(file, bytes + done, piece) != static_cast<int>(piece)) {
            std::printf("Write error!\n");
            gzclose(file);
            return 255;
        }
        done += piece;
    }
    // Closing flushes the compressor: a failure here loses the end of the file.
    if (gzclose(file) != Z_OK) {
        ZK_TRACE(kSource, "Close failed");
        return 255;
    }
    return 1;
}

unsigned char* Compress(const unsigned char* source, uint32_t length, uint32_t* compressedSize)
{
    if (compressedSize == nullptr) {
        zk_trace(kSource, "Compress", 598, "Compress failed");
        return nullptr;
    }
    const uLong room = std::max<uLong>(uLong{length} + 12, compressBound(length));
    auto* buffer = static_cast<unsigned char*>(std::calloc(room, 1));
    if (buffer == nullptr) {
        ZK_TRACE(kSource, "Malloc failed");
        return nullptr;
    }
    uLongf size = std::min<uLong>(*compressedSize, room);
    if (compress(buffer, &size, source, length) < 0) {
        zk_trace(kSource, "Compress", 598, "Compress failed");
        std::free(buffer);
        return nullptr;
    }
    if (auto* trimmed = static_cast<unsigned char*>(std::realloc(buffer, size ? size : 1))) {
        buffer = trimmed;
    }
    *compressedSize = static_cast<uint32_t>(size);
    return buffer;
}

unsigned char* Uncompress(const unsigned char* source, uint32_t length, uint32_t size)
{
    // Zeroed, so a stream shorter than announced leaves no stale bytes.
    auto* buffer = static_cast<unsigned char*>(std::calloc(size ? size : 1, 1));
    if (buffer == nullptr) {
        ZK_TRACE(kSource, "Malloc failed");
        return nullptr;
    }
    uLongf got = size;
    if (uncompress(buffer, &got, source, length) != Z_OK) {
        zk_trace(kSource, "Uncompress", 618, "Uncompress failed");
        std::free(buffer);
        return nullptr;
    }
    return buffer;
}

int ListFile(const char* folder, char* text, size_t room)
{
    if (folder == nullptr || text == nullptr) {
        zk_trace(kSource, "ListFile", 670, " parameter are NULL ");
        return -1;
    }
    if (room == 0) {
        ZK_TRACE(kSource, "Output text too small");
        return -1;
    }
    text[0] = '\0';
    DIR* dir = opendir(folder);
    if (dir == nullptr) {
        zk_trace(kSource, "ListFile", 683, "Failed to open folder");
        return -1;
    }
    int count = 0;
    size_t used = 0;
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strncmp(name, "..", 2) == 0) {
            continue;
        }
        unsigned char type = entry->d_type;
        struct stat st;
        if (type == DT_UNKNOWN && fstatat(dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        const char mark = type == DT_DIR ? '\x1C' : type == DT_REG ? '\x1D' : '\0';
        const size_t length = std::strlen(name);
        const size_t need = length + (mark ? 1 : 0) + 1;
        if (used + need >= room) {
            ZK_TRACE(kSource, "Output text too small");
            closedir(dir);
            return -1;
        }
        std::memcpy(text + used, name, length);
        used += length;
        if (mark) {
            text[used++] = mark;
        }
        text[used++] = '\n';
        text[used] = '\0';
        ++count;
    }
    closedir(dir);
    return count;
}

void* MALLOC(void* pointer, size_t size)
{
    if (pointer != nullptr) {
        zk_trace(kSource, "MALLOC", 363, "Pointer is not NULL");
        return nullptr;
    }
    void* buffer = std::malloc(size);
    if (buffer == nullptr) {
        zk_trace(kSource, "MALLOC", 370, "Malloc failed");
    }
    return buffer;
}

void Wait(unsigned int milliseconds)
{
    timespec wanted{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    timespec left{};
    while (nanosleep(&wanted, &left) != 0) {
        if (errno != EINTR) {
            zk_trace(kSource, "Wait", 636, "nanosleep failed");
            return;
        }
        wanted = left;
    }
}

// Console keyboard.

std::atomic<int> receive_clavier{0};
int KeyBoardFd = -1;
struct termios old_term;
struct termios term;
std::string KeyBoardDevice = "/dev/tty0";

namespace {

struct Sequence {
    const char* text;  // the characters after ESC
    int code;
};

constexpr Sequence kSequences[] = {
    {"[[A", 1},   {"[[B", 2},   {"[[C", 3},   {"[[D", 4},   {"[[E", 5},  {"[17~", 6},
    {"[18~", 7},  {"[19~", 8},  {"[20~", 9},  {"[21~", 10}, {"[23~", 11}, {"[24~", 12},
    {"[A", 15},   {"[B", 16},   {"[C", 14},   {"[D", 17},   {"[P", 1},   {"[2~", 18},
    {"[1~", 19},  {"[5~", 20},  {"[6~", 21},  {"[4~", 22},  {"[3~", 23},
};

constexpr size_t kWindow = 10;     // ESC and the characters kept after it
constexpr int kSequencePause = 100;  // ms after which an unfinished sequence is taken as it is

// One UTF-8 character: its length (0 while incomplete) and code point. A byte
// that cannot start or continue a character stands for itself.
size_t DecodeUtf8(const unsigned char* bytes, size_t n, char32_t* point)
{
    const unsigned char lead = bytes[0];
    size_t length = 1;
    char32_t value = lead;
    if (lead >= 0xC0 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF7) {
        length = 4;
        value = lead & 0x07;
    }
    for (size_t i = 1; i < length; ++i) {
        if (i >= n) {
            return 0;
        }
        if ((bytes[i] & 0xC0) != 0x80) {
            *point = lead;
            return 1;
        }
        value = value << 6 | (bytes[i] & 0x3F);
    }
    *point = value;
    return length;
}

unsigned char pending[64];
size_t pendingCount = 0;
int keySlots[256];  // each posted key keeps its own slot until long after its handler ran
uint8_t nextSlot = 0;

void* keyboard_thread(void*)
{
    receive_clavier = 0;
    pendingCount = 0;
    KeyBoardFd = open(KeyBoardDevice.c_str(), O_RDWR | O_NOCTTY);
    if (KeyBoardFd < 0) {
        zk_trace(kSource, "keyboard_thread", 308, "Failed to open keyboard device");
        return nullptr;
    }
    init_tty(KeyBoardFd);
    // Num Lock on; refused by anything but a console, which is harmless.
    ioctl(KeyBoardFd, KDSETLED, 2);
    ioctl(KeyBoardFd, KDSKBLED, 2);
    for (;;) {
        const int key = ReiceveKey();
        if (key < 0) {
            break;
        }
        receive_clavier = key;
        int* slot = &keySlots[nextSlot++];
        *slot = key;
        SchedulerBlockPost(0);
        SchedulerPost(0, slot);
    }
    close(KeyBoardFd);
    KeyBoardFd = -1;
    return nullptr;
}

}  // namespace

int DecodeKey(const unsigned char* bytes, size_t n, bool final, size_t* used)
{
    *used = 0;
    if (n == 0) {
        return kKeyIncomplete;
    }
    if (bytes[0] != 0x1B) {
        char32_t point = 0;
        size_t length = DecodeUtf8(bytes, n, &point);
        if (length == 0) {
            if (!final) {
                return kKeyIncomplete;
            }
            point = bytes[0];
            length = 1;
        }
        *used = length;
        return static_cast<int>(point);
    }
    const size_t available = std::min(n, kWindow);
    const unsigned char* after = bytes + 1;
    const size_t m = available - 1;
    if (m == 0) {
        if (!final) {
            return kKeyIncomplete;
        }
        *used = 1;
        return 0x1B;
    }
    if (after[0] != '[') {
        // Escape typed before another key, or an Alt combination: Escape first.
        *used = 1;
        return 0x1B;
    }
    bool prefix = false;
    for (const Sequence& sequence : kSequences) {
        const size_t length = std::strlen(sequence.text);
        const size_t k = std::min(length, m);
        if (std::memcmp(sequence.text, after, k) != 0) {
            continue;
        }
        if (k == length) {
            *used = 1 + length;
            return sequence.code;
        }
        prefix = true;
    }
    if (prefix && !final) {
        return kKeyIncomplete;
    }
    // Unknown sequence: skipped up to its final byte, so that it types nothing.
    const size_t first = m >= 2 && after[1] == '[' ? 2 : 1;
    for (size_t i = first; i < m; ++i) {
        if (after[i] >= 0x40 && after[i] <= 0x7E) {
            *used = 2 + i;
            return kKeyIgnored;
        }
    }
    if (!final && available < kWindow) {
        return kKeyIncomplete;
    }
    *used = available;
    return kKeyIgnored;
}

int ReiceveKey()
{
    bool final = false;
    for (;;) {
        size_t used = 0;
        const int code = DecodeKey(pending, pendingCount, final, &used);
        const bool pause = code == 1 && used == 3 && pending[2] == 'P';
        std::memmove(pending, pending + used, pendingCount - used);
        pendingCount -= used;
        if (code == kKeyIgnored) {
            final = false;
            continue;
        }
        if (code != kKeyIncomplete) {
            if (pause) {
                std::printf("Pause\n");
            }
            return code;
        }
        if (pendingCount > 0 && !final) {
            pollfd ready{KeyBoardFd, POLLIN, 0};
            const int r = poll(&ready, 1, kSequencePause);
            if (r == 0) {
                final = true;
                continue;
            }
        }
        const ssize_t n = read(KeyBoardFd, pending + pendingCount, sizeof pending - pendingCount);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (pendingCount == 0) {
                return -1;
            }
            final = true;
            continue;
        }
        pendingCount += static_cast<size_t>(n);
        final = false;
    }
}

pthread_t InitKey()
{
    pthread_t id{};
    const int error = pthread_create(&id, nullptr, keyboard_thread, nullptr);
    if (error != 0) {
        std::printf("Echec creation de thread: %d\n", error);
    }
    return id;
}

int GetKey()
{
    return receive_clavier;
}

void ClearKey()
{
    receive_clavier = 0;
}

void init_tty(int fd)
{
    if (tcgetattr(fd, &old_term) != 0) {
        return;
    }
    term = old_term;
    term.c_iflag &= ~(ICRNL | IXON | IXOFF);
    term.c_lflag &= ~(ISIG | ICANON | ECHO | IEXTEN);
    term.c_cc[VMIN] = 1;
    term.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &term);
}
