// Entry point of the jorvex program.
int main() { return 0; }
