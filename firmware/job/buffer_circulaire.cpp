#include "buffer_circulaire.h"

#include "process.h"

#include <sched.h>

#include <cstdlib>
#include <cstring>

BufferCirculaire BuffCirculaire = {{}, 0, 0, PTHREAD_MUTEX_INITIALIZER};

namespace {

class Verrou {
public:
    explicit Verrou(BufferCirculaire& buffer) : mutex_(&buffer.verrou) { MutexLock(mutex_); }
    ~Verrou() { MutexUnlock(mutex_); }
    Verrou(const Verrou&) = delete;
    Verrou& operator=(const Verrou&) = delete;

private:
    pthread_mutex_t* mutex_;
};

// Under the lock.
bool Plein(const BufferCirculaire& buffer)
{
    return buffer.nombre >= kTailleBuffCirculaire - 1;
}

int32_t Ecriture(const BufferCirculaire& buffer)
{
    return (buffer.lecture + buffer.nombre) % kTailleBuffCirculaire;
}

}  // namespace

void init(BufferCirculaire& buffer)
{
    Verrou verrou(buffer);
    buffer.lecture = 0;
    buffer.nombre = 0;
}

bool est_vide(BufferCirculaire& buffer)
{
    Verrou verrou(buffer);
    return buffer.nombre == 0;
}

bool est_plein(BufferCirculaire& buffer)
{
    Verrou verrou(buffer);
    return Plein(buffer);
}

int32_t pos_ecr(BufferCirculaire& buffer)
{
    Verrou verrou(buffer);
    return Ecriture(buffer);
}

void ajoute(BufferCirculaire& buffer, intptr_t valeur)
{
    for (;; sched_yield()) {
        Verrou verrou(buffer);
        if (Plein(buffer)) continue;
        buffer.valeurs[Ecriture(buffer)] = valeur;
        ++buffer.nombre;
        return;
    }
}

intptr_t retire(BufferCirculaire& buffer)
{
    for (;; sched_yield()) {
        Verrou verrou(buffer);
        if (buffer.nombre == 0) continue;
        const intptr_t valeur = buffer.valeurs[buffer.lecture];
        buffer.lecture = (buffer.lecture + 1) % kTailleBuffCirculaire;
        --buffer.nombre;
        return valeur;
    }
}

int EcritDataBuffUC(uint8_t longueur, const void* donnees)
{
    auto* bloc = static_cast<unsigned char*>(std::malloc(std::size_t{longueur} + 1));
    if (bloc == nullptr) return 255;
    bloc[0] = longueur;
    if (longueur != 0) std::memcpy(bloc + 1, donnees, longueur);
    ajoute(BuffCirculaire, reinterpret_cast<intptr_t>(bloc));
    return 0;
}
