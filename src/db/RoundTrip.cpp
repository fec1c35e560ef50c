#include "db/RoundTrip.h"

#include "db/CFbConnection.h"

#include <algorithm>
#include <chrono>

double RoundTripMs(CFbConnection& connection)
{
    if (!connection.IsConnected() || connection.IsInProcess())
        return 0;
    double fastest = 1e9;
    for (int i = 0; i < 3; ++i)
    {
        const auto start = std::chrono::steady_clock::now();
        if (!connection.Answers())
            return 0;
        fastest = std::min(fastest,
                           std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return fastest;
}
