#pragma once
namespace build {
inline constexpr Traits kTraits{
    .id = Id::Km250Viper,
    .programme = "mlas-km250-viper",
    .dspProgram = "dspLFV3.exe",
    .ligne = Ligne::Km250,
    .carteDmc = false,
    .viperSeule = true,
    .date = "25/03/2015",
    .freqQSwitch = 10000,
    .serieUnique = true,
};
}
