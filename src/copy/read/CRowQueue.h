#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// A bounded queue of row chunks between the thread that reads the source and
// the thread that writes the destination. The reader blocks while the queue
// is full, so memory stays bounded whatever the table's size.
template <typename Row> class CRowQueue
{
  public:
    explicit CRowQueue(size_t maxChunks) : m_nMaxChunks(maxChunks) {}

    // Waits for room and queues the chunk; false (the chunk dropped) once
    // the queue is abandoned.
    bool Push(std::vector<Row> chunk)
    {
        std::unique_lock lock(m_mutex);
        m_notFull.wait(lock, [&] { return m_chunks.size() < m_nMaxChunks || m_bAbandoned; });
        if (m_bAbandoned)
            return false;
        m_chunks.push_back(std::move(chunk));
        m_notEmpty.notify_one();
        return true;
    }

    // Marks the end of the rows; error is empty when the source was read whole.
    void Finish(std::string error)
    {
        std::lock_guard lock(m_mutex);
        m_bFinished = true;
        m_sError = std::move(error);
        m_notEmpty.notify_one();
    }

    // The next chunk; false once the reader has finished and all is taken.
    bool Pop(std::vector<Row>& chunk)
    {
        std::unique_lock lock(m_mutex);
        m_notEmpty.wait(lock, [&] { return !m_chunks.empty() || m_bFinished; });
        if (m_chunks.empty())
            return false;
        chunk = std::move(m_chunks.front());
        m_chunks.pop_front();
        m_notFull.notify_one();
        return true;
    }

    // Takes back a chunk whose rows were used, for the reader to refill.
    void Recycle(std::vector<Row> chunk)
    {
        std::lock_guard lock(m_mutex);
        if (m_spare.size() <= m_nMaxChunks)
            m_spare.push_back(std::move(chunk));
    }

    // Replaces chunk with a used one to refill; false (chunk unchanged) when
    // none is waiting.
    bool TakeSpare(std::vector<Row>& chunk)
    {
        std::lock_guard lock(m_mutex);
        if (m_spare.empty())
            return false;
        chunk = std::move(m_spare.back());
        m_spare.pop_back();
        return true;
    }

    // Lets a blocked reader go when nobody will take its rows any more.
    void Abandon()
    {
        std::lock_guard lock(m_mutex);
        m_bAbandoned = true;
        m_notFull.notify_all();
    }

    bool Abandoned()
    {
        std::lock_guard lock(m_mutex);
        return m_bAbandoned;
    }

    std::string Error()
    {
        std::lock_guard lock(m_mutex);
        return m_sError;
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_notEmpty;
    std::condition_variable m_notFull;
    std::deque<std::vector<Row>> m_chunks;
    std::vector<std::vector<Row>> m_spare;
    size_t m_nMaxChunks;
    bool m_bFinished = false;
    bool m_bAbandoned = false;
    std::string m_sError;
};
