#include "carte_dsp.h"

#include <string>

namespace boardsim {

namespace {

using namespace materiel;

constexpr uint16_t kMarqueurBoot = kDspChargement;
constexpr uint16_t kAnneau = kDspAnneau;
constexpr int kBlocs = 10;
constexpr int kMotsParBloc = 6;
constexpr uint16_t kTableX = kDspTableX;
constexpr uint16_t kTableY = kDspTableY;
constexpr uint16_t kDerniereCorrection = kDspFinTables;
constexpr uint16_t kEntrees = kDspEntrees;
constexpr uint16_t kStatut = kDspStatut;
constexpr uint16_t kCommande = kDspCommande;
constexpr uint16_t kOrigines = kDspOrigines;
constexpr uint16_t kIncrements = kDspIncrements;
constexpr uint16_t kVersion = kDspVersion;
constexpr uint16_t kSorties = kDspSorties;
constexpr uint16_t kLampePrete = 1u << 9;  // output 1

constexpr std::size_t kJournalMax = 16384;

struct Parametres {
    uint16_t adresse;
    int nombre;
};

Parametres ParametresDe(uint8_t code)
{
    switch (code) {
    case kCmdPeriodeQSwitch: return {kDspPeriodeQSwitch, 2};
    case kCmdVitesse: return {kDspVitesse, 3};
    case kCmdPuissance: return {kDspPuissance, 1};
    case kCmdSorties: return {kSorties, 1};
    default: return {0, 0};
    }
}

bool CommandeConnue(uint8_t code)
{
    switch (code) {
    case kCmdEntrees: case kCmdPeriodeQSwitch: case kCmdVitesse: case kCmdPuissance: case kCmdValidePwm:
    case kCmdValideServo: case kCmdDevalideServo: case kCmdSorties: case kCmdValidePreAmp:
    case kCmdDevalidePreAmp: return true;
    default: return false;
    }
}

template <typename T>
void Journalise(std::deque<T>& journal, T entree)
{
    if (journal.size() == kJournalMax) journal.pop_front();
    journal.push_back(std::move(entree));
}

}  // namespace

CarteDsp::CarteDsp(std::shared_ptr<Trace> trace, bool startAuto)
    : trace_(std::move(trace)), startAuto_(startAuto), memoire_(0x10000, 0)
{
}

uint32_t CarteDsp::read(uint32_t address, unsigned)
{
    std::lock_guard lock(mutex_);
    switch (address - kPortDsp) {
    case kRegistreDonnee: return Lit();
    case kRegistreAdresse: return adresse_;
    case kRegistreReset: return ligneReset_;
    default: return 0xFFFF;
    }
}

void CarteDsp::write(uint32_t address, unsigned, uint32_t value)
{
    std::lock_guard lock(mutex_);
    switch (address - kPortDsp) {
    case kRegistreDonnee: Ecrit(static_cast<uint16_t>(value)); break;
    case kRegistreAdresse: adresse_ = static_cast<uint16_t>(value); break;
    case kRegistreReset:
        ligneReset_ = value & 1;
        trace_->Ligne("RESET line=%u", ligneReset_);
        if (ligneReset_ == 0) etat_ = Etat::Reset;
        else if (etat_ == Etat::Reset) etat_ = Etat::Chargement;
        break;
    default: break;
    }
}

uint16_t CarteDsp::Lit()
{
    const uint16_t a = adresse_++;
    if (etat_ == Etat::Marche) {
        ++lecturesBloc_;
        AvanceAnneau();
    }
    return memoire_[a];
}

void CarteDsp::Ecrit(uint16_t valeur)
{
    const uint16_t a = adresse_++;
    memoire_[a] = valeur;
    if (a == kCommande) {
        ExecuteCommande(static_cast<uint8_t>(valeur));
        return;
    }
    if (etat_ == Etat::Chargement) {
        if (a == kMarqueurBoot) {
            motsCharges_ = 0;
            sommeChargee_ = 0;
            trace_->Ligne("BOOT word=0x%04X", valeur);
        } else if (a == 0) {
            trace_->Ligne("LOAD words=%u sum=0x%04X", motsCharges_, sommeChargee_);
            const bool connu = valeur == kMotDemarrage;
            trace_->Ligne("START word=0x%04X run=%d", valeur, connu ? 1 : 0);
            if (connu) Demarrage();
        } else if (a < kAnneau) {
            ++motsCharges_;
            sommeChargee_ = static_cast<uint16_t>(sommeChargee_ + valeur);
        }
        return;
    }
    if (etat_ != Etat::Marche) return;
    if (a >= kAnneau && a < kAnneau + kBlocs * kMotsParBloc) {
        AvanceAnneau();
    } else if (a == kIncrements + 1) {
        trace_->Ligne("INC pu=%u pd=%u", memoire_[kIncrements], memoire_[kIncrements + 1]);
    } else if (a == kOrigines + 3) {
        trace_->Ligne("ORIGIN dacx=%u dacy=%u adcx=%u adcy=%u", memoire_[kOrigines], memoire_[kOrigines + 1],
                      memoire_[kOrigines + 2], memoire_[kOrigines + 3]);
    } else if (a == kDerniereCorrection) {
        trace_->Ligne("TABLE x0=%u x1024=%u x2047=%u y0=%u y1024=%u y2047=%u", memoire_[kTableX],
                      memoire_[kTableX + 1024], memoire_[kTableX + 2047], memoire_[kTableY],
                      memoire_[kTableY + 1024], memoire_[kTableY + 2047]);
    }
}

// What the program does first: a clear ring and mailbox, its version and year.
void CarteDsp::Demarrage()
{
    etat_ = Etat::Marche;
    for (int n = 0; n < kBlocs; ++n) memoire_[kAnneau + n * kMotsParBloc] = 0;
    memoire_[kStatut] = 0;
    memoire_[kVersion] = kVersionProgramme;
    memoire_[kVersion + 1] = kAnneeProgramme;
    prochainBloc_ = 0;
    lecturesBloc_ = 0;
    dernieresEntreesTracees_ = -1;
    sorties_ = 0;
    RafraichitEntrees();
}

void CarteDsp::RafraichitEntrees()
{
    const bool start = entrees_.start || (startAuto_ && (sorties_ & kLampePrete) != 0);
    // Bit 0 set requests a reset; bit 1 clear is the start button; unused inputs read 1.
    memoire_[kEntrees] = static_cast<uint16_t>(0xFC | (entrees_.reset ? 1 : 0) | (start ? 0 : 2));
}

void CarteDsp::ExecuteCommande(uint8_t code)
{
    bool repond = etat_ == Etat::Marche && CommandeConnue(code);
    if (repond && refusees_[code] > 0) {
        if (refusees_[code] != kToujours) --refusees_[code];
        repond = false;
    }
    const Parametres p = ParametresDe(code);
    Commande c{code, {}, repond ? kAcquittement : uint16_t{0}};
    for (int i = 0; i < p.nombre; ++i) c.parametres.push_back(memoire_[p.adresse + i]);

    if (etat_ == Etat::Marche) {
        if (code == kCmdEntrees) {
            if (!script_.empty()) {
                entrees_ = script_.front();
                script_.pop_front();
            }
            RafraichitEntrees();
        }
        if (code == kCmdSorties) {
            sorties_ = memoire_[kSorties];
            trace_->Ligne("OUT word=0x%04X", sorties_);
        }
    }

    const uint64_t entrees = etat_ == Etat::Marche ? memoire_[kEntrees] : 0x10000;
    const int64_t cle = static_cast<int64_t>(entrees << 16 | c.acquittement);
    const bool replie = code == kCmdEntrees && cle == dernieresEntreesTracees_;
    if (!replie) {
        std::string liste;
        for (uint16_t mot : c.parametres) liste += (liste.empty() ? "" : ",") + std::to_string(mot);
        trace_->Ligne("CMD code=0x%02X ack=0x%04X p=%s", code, c.acquittement, liste.empty() ? "-" : liste.c_str());
        if (code == kCmdEntrees && etat_ == Etat::Marche) {
            trace_->Ligne("IN word=0x%04X", memoire_[kEntrees]);
        }
    }
    if (code == kCmdEntrees) dernieresEntreesTracees_ = cle;

    if (repond) memoire_[kStatut] = kAcquittement;
    Journalise(commandes_, std::move(c));
}

void CarteDsp::AvanceAnneau()
{
    for (;;) {
        const uint16_t base = static_cast<uint16_t>(kAnneau + prochainBloc_ * kMotsParBloc);
        if (memoire_[base] == 0) {
            lecturesBloc_ = 0;
            return;
        }
        if (lecturesBloc_ < lenteur_) return;
        BlocExecute b{prochainBloc_, {}};
        for (int i = 0; i < kMotsParBloc; ++i) b.mots[i] = memoire_[base + i];
        trace_->Ligne("BLOCK n=%d ctl=0x%04X x=%u y=%u dpd=%u delay=%u", b.n, b.mots[0],
                      static_cast<uint16_t>(b.mots[3] + 32766), static_cast<uint16_t>(b.mots[4] + 32766), b.mots[1],
                      b.mots[5]);
        memoire_[base] = 0;
        Journalise(blocs_, b);
        prochainBloc_ = (prochainBloc_ + 1) % kBlocs;
        lecturesBloc_ = 0;
    }
}

void CarteDsp::Demarre()
{
    std::lock_guard lock(mutex_);
    ligneReset_ = 1;
    Demarrage();
}

void CarteDsp::FixeEntrees(Entrees e)
{
    std::lock_guard lock(mutex_);
    script_.clear();
    entrees_ = e;
}

void CarteDsp::ScriptEntrees(std::vector<Entrees> script)
{
    std::lock_guard lock(mutex_);
    script_.assign(script.begin(), script.end());
}

void CarteDsp::SansAcquittement(bool oui)
{
    std::lock_guard lock(mutex_);
    refusees_.fill(oui ? kToujours : 0);
}

void CarteDsp::RefuseCommande(uint8_t code, unsigned fois)
{
    std::lock_guard lock(mutex_);
    refusees_[code] = fois;
}

void CarteDsp::Lenteur(unsigned lectures)
{
    std::lock_guard lock(mutex_);
    lenteur_ = lectures;
}

CarteDsp::Etat CarteDsp::EtatCarte() const
{
    std::lock_guard lock(mutex_);
    return etat_;
}

uint16_t CarteDsp::Mot(uint16_t adresse) const
{
    std::lock_guard lock(mutex_);
    return memoire_[adresse];
}

uint16_t CarteDsp::Sorties() const
{
    std::lock_guard lock(mutex_);
    return sorties_;
}

bool CarteDsp::Lampe(int sortie) const
{
    std::lock_guard lock(mutex_);
    return sortie >= 1 && sortie <= 4 && (sorties_ >> (sortie + 8) & 1) != 0;
}

std::vector<BlocExecute> CarteDsp::Blocs() const
{
    std::lock_guard lock(mutex_);
    return {blocs_.begin(), blocs_.end()};
}

std::vector<Commande> CarteDsp::Commandes() const
{
    std::lock_guard lock(mutex_);
    return {commandes_.begin(), commandes_.end()};
}

}  // namespace boardsim
