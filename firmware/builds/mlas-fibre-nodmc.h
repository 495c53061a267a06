#pragma once
namespace build {
inline constexpr Traits kTraits{Id::FibreNoDmc, "mlas-fibre-nodmc", "dspLFV3.exe"};
}
