#pragma once
namespace build {
inline constexpr Traits kTraits{Id::Fibre, "mlas-fibre", "dspLFV3.exe"};
}
