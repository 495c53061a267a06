// A fixed-size queue of pointer-sized values shared between threads, and the
// queueing of a copy of a short message on the process-wide queue.
#pragma once

#include <pthread.h>

#include <cstdint>

inline constexpr int32_t kTailleBuffCirculaire = 1024;

struct BufferCirculaire {
    intptr_t valeurs[kTailleBuffCirculaire];
    int32_t lecture;  // index of the oldest value
    int32_t nombre;   // values queued
    pthread_mutex_t verrou;
};

extern BufferCirculaire BuffCirculaire;

void init(BufferCirculaire& buffer);
bool est_vide(BufferCirculaire& buffer);
// Full at kTailleBuffCirculaire - 1 values.
bool est_plein(BufferCirculaire& buffer);
int32_t pos_ecr(BufferCirculaire& buffer);
// Both wait, yielding the processor, while the queue is full or empty.
void ajoute(BufferCirculaire& buffer, intptr_t valeur);
intptr_t retire(BufferCirculaire& buffer);

// Queues on BuffCirculaire the address of a block from the C allocator holding
// the length byte and the data; whoever takes it frees it. 0, or 255 when
// there is no memory.
int EcritDataBuffUC(uint8_t longueur, const void* donnees);
