// The POSIX programs (16-bit and 8-bit text). Their window arrives with the
// user-interface work; until then they start and end with exit code 0.
int main() { return 0; }
