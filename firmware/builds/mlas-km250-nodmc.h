#pragma once
namespace build {
inline constexpr Traits kTraits{Id::Km250NoDmc, "mlas-km250-nodmc", "dspLFV3.exe"};
}
