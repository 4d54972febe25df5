/* A shared library that is not a converted module. */
int plain_function(void) { return 1; }
