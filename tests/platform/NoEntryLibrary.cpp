// A shared library without the service entry point.
extern "C" __attribute__((visibility("default"))) int QuillonSomethingElse() { return 0; }
