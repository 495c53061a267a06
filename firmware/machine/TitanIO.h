// TITAN board outputs through the I2C I/O expander at 0x20 on $MLAS_I2C_DEV
// (default /dev/i2c-0): its second port is made all outputs at 0, and bit 0
// of it turns the cylinder turner on and off. Not in mlas-km250-viper.
#pragma once

// The bus descriptor, or -1 on failure (the bus is then closed).
int InitI2cIO();
// on non-zero: cylinder turner on. 0, or -1 when the bus is not open or the write fails.
int GVT_TourneCylindre(int on);
int write_i2c_register(int fd, unsigned char reg, unsigned char value);
// The register's value, or -1.
int read_i2c_register(int fd, unsigned char reg);
int CloseI2cIO();
