// Resource identifiers kept as Resource.zul
#define IDI_PROG 101
