#pragma once
namespace build {
inline constexpr Traits kTraits{
    .id = Id::Fibre,
    .programme = "mlas-fibre",
    .dspProgram = "dspLFV3.exe",
    .ligne = Ligne::Fibre,
    .carteDmc = true,
    .viperSeule = false,
    .date = "16/03/2015",
    .freqQSwitch = 50000,
    .serieUnique = false,
};
}
