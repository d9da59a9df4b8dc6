// screenshot DIR: placeholder while the tool is rebuilt on the Qt backend.
int main() { return 0; }
