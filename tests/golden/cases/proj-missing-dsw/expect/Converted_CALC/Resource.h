//{{NO_DEPENDENCIES}}
// Resource identifiers of CALC.RC
#define IDI_CALC                        101
