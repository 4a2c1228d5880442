// Nothing to run: the program exists so that the linker resolves every object of one
// library against the libraries it declares.
int main() { return 0; }
