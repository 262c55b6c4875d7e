/* The shared library that the module-loading tests load. */
int kelvane_test_answer(void) {
    return 42;
}
