// A library that loads but has no Sendsms entry point.
extern "C" __attribute__((visibility("default"))) int NotTheGateway() { return 0; }
