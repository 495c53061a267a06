#pragma once
namespace build {
inline constexpr Traits kTraits{Id::Km250, "mlas-km250", "dsplaser.exe"};
}
