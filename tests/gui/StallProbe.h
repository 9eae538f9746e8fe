// Measures how long a window's thread takes to answer: a probe thread sends it WM_NULL again and
// again and keeps the longest round trip. For benchmarks, which print the figure.
#pragma once

#include <windows.h>

#include <atomic>
#include <thread>

class StallProbe {
public:
    explicit StallProbe(HWND window) : m_window(window) {
        m_thread = std::thread([this] {
            while (!m_stop) {
                LARGE_INTEGER start, end, frequency;
                ::QueryPerformanceFrequency(&frequency);
                ::QueryPerformanceCounter(&start);
                DWORD_PTR answer = 0;
                ::SendMessageTimeoutA(m_window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
                ::QueryPerformanceCounter(&end);
                double ms = double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
                if (ms > m_worstMs) m_worstMs = ms;
                ++m_probes;
                ::Sleep(2);
            }
        });
    }
    ~StallProbe() { Stop(); }
    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    double WorstMs() const { return m_worstMs; }
    long Probes() const { return m_probes; }

private:
    HWND m_window;
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_worstMs{0};
    std::atomic<long> m_probes{0};
    std::thread m_thread;
};
