#pragma once
namespace build {
inline constexpr Traits kTraits{
    .id = Id::FibreNoDmc,
    .programme = "mlas-fibre-nodmc",
    .dspProgram = "dspLFV3.exe",
    .ligne = Ligne::Fibre,
    .carteDmc = false,
    .viperSeule = false,
    .date = "23/03/2015",
    .freqQSwitch = 30000,
    .serieUnique = false,
};
}
