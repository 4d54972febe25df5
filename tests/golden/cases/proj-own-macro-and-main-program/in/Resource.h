#define IDI_MAC 101
