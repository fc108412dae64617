// Program entry: command line, application object, main window.
int main() { return 0; }
