// edited by hand after the first conversion
#define IDI_CALC 202
