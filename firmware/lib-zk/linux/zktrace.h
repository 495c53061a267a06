// Failure trace of the support library: " source : function : line : message".
#pragma once

void zk_trace(const char* source, const char* function, int line, const char* message);

#define ZK_TRACE(source, message) zk_trace((source), __func__, __LINE__, (message))
