#pragma once
namespace build {
inline constexpr Traits kTraits{
    .id = Id::Km250NoDmc,
    .programme = "mlas-km250-nodmc",
    .dspProgram = "dspLFV3.exe",
    .ligne = Ligne::Km250,
    .carteDmc = false,
    .viperSeule = false,
    .date = "17/03/2015",
    .freqQSwitch = 10000,
    .serieUnique = false,
};
}
