// A process that only waits to be ended: the tests list it under other names.
#include <chrono>
#include <thread>

int main()
{
    std::this_thread::sleep_for(std::chrono::minutes(10));
    return 0;
}
