#pragma once
namespace build {
inline constexpr Traits kTraits{
    .id = Id::Km250,
    .programme = "mlas-km250",
    .dspProgram = "dsplaser.exe",
    .ligne = Ligne::Km250,
    .carteDmc = true,
    .viperSeule = false,
    .date = "16/03/2015",
    .freqQSwitch = 10000,
    .serieUnique = false,
};
}
