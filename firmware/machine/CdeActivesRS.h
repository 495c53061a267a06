// Set commands of the QUANTEL fibre source on UART 3: three letters, a space,
// the value where the command takes one, CR. Each returns the bytes sent.
#pragma once

unsigned char EnvoiCdeSRR(int kHz);
unsigned char EnvoiCdeSBC(float amperes);
unsigned char EnvoiCdeEBE();
unsigned char EnvoiCdeDBE();
unsigned char EnvoiCdeEGE();
unsigned char EnvoiCdeDGE();
unsigned char EnvoiCdeRCD();
