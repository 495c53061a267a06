// Helpers of the rotation card code: the OS-timer clock in microseconds or
// milliseconds, and console lines. Builds with the rotation card only.
#pragma once

// The OS-timer counter at the VIPER rate: microseconds when us is non-zero,
// else milliseconds.
unsigned long Lire_Timer(char us);
void Afficher(const char* texte);
