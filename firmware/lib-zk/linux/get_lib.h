// Waiting for one key press on the standard input.
#pragma once

// The value of the last byte of one key press, or -1 when the input has ended.
int getch();
