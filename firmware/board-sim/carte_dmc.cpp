#include "carte_dmc.h"

#include <algorithm>
#include <cmath>

namespace boardsim {

namespace {
constexpr uint32_t kCompteur0 = materiel::kDmcCompteur0;
constexpr uint32_t kCompteur2 = materiel::kDmcCompteur2;
constexpr uint32_t kMotControle = materiel::kDmcMotControle;
constexpr uint32_t kControle = materiel::kDmcControle;
constexpr uint32_t kPorte0 = materiel::kDmcPorte0;
constexpr uint32_t kPorte2 = materiel::kDmcPorte2;

constexpr uint8_t kSondePhase1 = 0x01;
constexpr uint8_t kSens = 0x10;  // set: counter-clockwise
constexpr uint8_t kInhibition = 0x20;
constexpr uint8_t kSondePhase2 = 0x40;
constexpr uint8_t kPorteActive = 0x10;

constexpr std::size_t kJournalMax = 16384;

uint32_t Compte(uint32_t valeur)
{
    return valeur == 0 ? 65536 : valeur;
}
}  // namespace

CarteDmc::CarteDmc(std::shared_ptr<Trace> trace) : trace_(std::move(trace)), dernier_(std::chrono::steady_clock::now())
{
}

// Brings the counters up to now: the pulses of counter 1 since the last access.
void CarteDmc::Ecoule()
{
    double secondes = 0.0;
    if (virtuel_) {
        secondes = static_cast<double>(usEnAttente_) / 1e6;
        usEnAttente_ = 0;
    } else {
        const auto maintenant = std::chrono::steady_clock::now();
        secondes = std::chrono::duration<double>(maintenant - dernier_).count();
        dernier_ = maintenant;
    }
    const uint32_t d0 = compteurs_[0].valeur;
    const uint32_t d1 = compteurs_[1].valeur;
    if (!porte0_ || d0 == 0 || d1 == 0 || secondes <= 0.0) return;
    phase_ += secondes * kHorlogeCarteDmc / (static_cast<double>(Compte(d0)) * Compte(d1));
    const double entieres = std::floor(phase_);
    phase_ -= entieres;
    Impulsions(static_cast<uint64_t>(entieres));
}

void CarteDmc::Impulsions(uint64_t n)
{
    while (n > 0 && enCours_) {
        if (nonCharge_) {
            // Mode 0: the first clock after the count is written loads it.
            nonCharge_ = false;
            reste_ = Compte(compteurs_[2].valeur);
            --n;
            continue;
        }
        if (!porte2_ || sortie2_) return;
        const uint64_t m = std::min<uint64_t>(n, reste_);
        reste_ -= static_cast<uint32_t>(m);
        n -= m;
        if ((controle_ & kInhibition) == 0) {
            position_ += (controle_ & kSens) != 0 ? -static_cast<int64_t>(m) : static_cast<int64_t>(m);
        }
        if (reste_ == 0) {
            sortie2_ = true;
            FinMouvement();
        }
    }
}

void CarteDmc::FinMouvement()
{
    enCours_ = false;
    trace_->Ligne("DMCEND pos=%lld left=%u origin=%d", static_cast<long long>(position_), reste_, Origine() ? 1 : 0);
}

bool CarteDmc::Origine() const
{
    const int64_t p = ((position_ % kPasParTourDmc) + kPasParTourDmc) % kPasParTourDmc;
    return p < kLargeurCapteurDmc;
}

void CarteDmc::EcritControle(uint8_t mot)
{
    const int selection = mot >> 6;
    if (selection == 3) {
        // Read-back command; only counter 2 is ever read back.
        if ((mot & 0x08) == 0) return;
        if ((mot & 0x20) == 0) compteVerrouille_ = static_cast<uint16_t>(reste_);
        if ((mot & 0x10) == 0) {
            statutVerrouille_ = static_cast<uint8_t>((sortie2_ ? 0x80 : 0) | (nonCharge_ ? 0x40 : 0) |
                                                     compteurs_[2].controle);
        }
        lectureHaute_ = false;
        return;
    }
    if ((mot & 0x30) == 0) {
        if (selection == 2) compteVerrouille_ = static_cast<uint16_t>(reste_);
        return;
    }
    Compteur& c = compteurs_[selection];
    c.controle = mot & 0x3F;
    c.octetHaut = false;
    if (selection == 2) {
        if (enCours_ && !nonCharge_) FinMouvement();
        sortie2_ = false;
        nonCharge_ = false;
        enCours_ = false;
        reste_ = 0;
        lectureHaute_ = false;
    }
}

void CarteDmc::EcritCompteur(int n, uint8_t octet)
{
    Compteur& c = compteurs_[n];
    const int rw = (c.controle >> 4) & 3;
    uint32_t valeur = 0;
    if (rw == 3) {
        if (!c.octetHaut) {
            c.basse = octet;
            c.octetHaut = true;
            return;
        }
        c.octetHaut = false;
        valeur = static_cast<uint32_t>(octet) << 8 | c.basse;
    } else if (rw == 1) {
        valeur = octet;
    } else if (rw == 2) {
        valeur = static_cast<uint32_t>(octet) << 8;
    } else {
        return;
    }
    if (n == 1) {
        const bool change = c.valeur != valeur;
        c.valeur = valeur;
        if (!change) return;
        trace_->Ligne("DMCDIV d=%u", Compte(valeur));
        if (enCours_ && !mouvements_.empty()) mouvements_.back().diviseurs.push_back(static_cast<uint16_t>(valeur));
        return;
    }
    c.valeur = valeur;
    if (n != 2) return;
    if (enCours_ && !nonCharge_) FinMouvement();
    sortie2_ = false;
    nonCharge_ = true;
    enCours_ = true;
    const int sens = (controle_ & kSens) != 0 ? -1 : 1;
    if (mouvements_.size() == kJournalMax) mouvements_.pop_front();
    mouvements_.push_back({Compte(valeur), sens, position_, {static_cast<uint16_t>(compteurs_[1].valeur)}});
    trace_->Ligne("DMCMOVE n=%u dir=%s pos=%lld", Compte(valeur), sens > 0 ? "cw" : "ccw",
                  static_cast<long long>(position_));
}

uint8_t CarteDmc::LitCompteur2()
{
    if (statutVerrouille_) {
        const uint8_t s = *statutVerrouille_;
        statutVerrouille_.reset();
        return s;
    }
    const uint16_t compte = compteVerrouille_ ? *compteVerrouille_ : static_cast<uint16_t>(reste_);
    const bool haute = lectureHaute_;
    lectureHaute_ = !lectureHaute_;
    if (haute) compteVerrouille_.reset();
    return static_cast<uint8_t>(haute ? compte >> 8 : compte & 0xFF);
}

uint32_t CarteDmc::read(uint32_t address, unsigned)
{
    std::lock_guard lock(mutex_);
    if (virtuel_) usEnAttente_ += usParLecture_;
    Ecoule();
    switch (address - materiel::kPortsDmc) {
    case kCompteur2: return LitCompteur2();
    case kControle:
        return static_cast<uint32_t>(((controle_ & kSondePhase1) != 0 ? 0x80 : 0) |
                                     ((controle_ & kSondePhase2) != 0 ? 0x40 : 0) | (Origine() ? 0x02 : 0));
    case kPorte0: return porte0_ ? kPorteActive : 0;
    case kPorte2: return porte2_ ? kPorteActive : 0;
    default: return 0;
    }
}

void CarteDmc::write(uint32_t address, unsigned, uint32_t value)
{
    std::lock_guard lock(mutex_);
    Ecoule();
    const uint32_t port = address - materiel::kPortsDmc;
    const auto octet = static_cast<uint8_t>(value);
    switch (port) {
    case kCompteur0:
    case kCompteur0 + 1:
    case kCompteur2: EcritCompteur(static_cast<int>(port), octet); break;
    case kMotControle: EcritControle(octet); break;
    case kControle:
        controle_ = octet;
        trace_->Ligne("DMC ctl=0x%02X", octet);
        break;
    case kPorte0: {
        const bool avant = porte0_;
        porte0_ = (octet & kPorteActive) != 0;
        if (avant && !porte0_ && enCours_ && !nonCharge_) {
            trace_->Ligne("DMCSTOP pos=%lld left=%u origin=%d", static_cast<long long>(position_), reste_,
                          Origine() ? 1 : 0);
        }
        break;
    }
    case kPorte2: porte2_ = (octet & kPorteActive) != 0; break;
    default: break;
    }
}

void CarteDmc::Virtuel(uint32_t usParLecture)
{
    std::lock_guard lock(mutex_);
    Ecoule();
    virtuel_ = true;
    usParLecture_ = usParLecture;
}

void CarteDmc::Avance(uint64_t us)
{
    std::lock_guard lock(mutex_);
    if (virtuel_) usEnAttente_ += us;
    else dernier_ -= std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::microseconds(us));
    Ecoule();
}

void CarteDmc::PlaceAxe(int64_t position)
{
    std::lock_guard lock(mutex_);
    position_ = position;
}

int64_t CarteDmc::Position() const
{
    std::lock_guard lock(mutex_);
    return position_;
}

bool CarteDmc::AOrigine() const
{
    std::lock_guard lock(mutex_);
    return Origine();
}

uint8_t CarteDmc::Controle() const
{
    std::lock_guard lock(mutex_);
    return controle_;
}

std::vector<MouvementDmc> CarteDmc::Mouvements() const
{
    std::lock_guard lock(mutex_);
    return {mouvements_.begin(), mouvements_.end()};
}

}  // namespace boardsim
