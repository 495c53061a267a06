// Firmware upload: a job that carries a new program has it written beside the
// running one as "update.<name>"; the two lamps of the DSP card tell the
// operator how it went. The IP-change job only reports.
#pragma once

// data: the payload, right after the job's header. Reads the file name, size
// and check byte that the header analysis left.
void WriteFile2Disk(const unsigned char* data);

// Three blinks of output 1 (ready lamp) or output 2 (marking lamp).
void ClignoteLedsUpdateOK();
void ClignoteLedsUpdateNOK();

void ChangementAdrIP(const unsigned char* buffer);
