// Entry point; the shell (single instance, hidden window, message loop) joins here.
int main()
{
    return 0;
}
