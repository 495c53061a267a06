#pragma once
namespace build {
inline constexpr Traits kTraits{Id::Km250Viper, "mlas-km250-viper", "dspLFV3.exe"};
}
