// Small whole-file reader of the KM250 builds.
#pragma once

// The whole file in a new buffer (freed by the caller); null on failure.
unsigned char* ReadaFile(const char* path);
