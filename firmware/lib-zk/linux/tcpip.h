// IPv4 TCP server and client over plain socket descriptors (-1: none or failure).
#pragma once

int InitServerTCP(int port);
int WaitConnexionTCP_NONBLOCK(int socket);
int WaitConnexionTCP(int socket);
int InitClientTCP(const char* address, int port);
int ReceiveTCP(int socket, void* buffer, int length);
// Waits at most the given time for data; -1 on time-out.
int ReceiveTCP_NoBlock(int socket, void* buffer, int length, int seconds, int microseconds);
int SendTCP(int socket, const void* buffer, int length);
int CloseTCP(int socket);
