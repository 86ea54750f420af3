// jorvex-check: checks a GDPdU export (folder, index.xml or ZIP file).
int main() { return 3; }
