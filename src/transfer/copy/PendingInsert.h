#pragma once

#include "platform/DbConnection.h"

#include <exception>
#include <string>

namespace transfer {

// The INSERT sent last, whose answer is read once the next is made: the server works on one
// while the rows of the next are read and written. Read and dropped when the load fails, so the
// session can be used again.
class PendingInsert {
public:
    explicit PendingInsert(platform::Connection &destination) : destination_(destination) {}
    ~PendingInsert() { drop(); }
    PendingInsert(const PendingInsert &) = delete;
    PendingInsert &operator=(const PendingInsert &) = delete;

    // Reads and drops what is still to come, its own error with it.
    void drop()
    {
        if (!sent_)
            return;
        sent_ = false;
        try {
            if (followed_ && !answers_) // only the following answer is left
                destination_.readNextResult().close();
            else
                destination_.discardResult();
        } catch (const std::exception &) {
            // The failure that ended the load is the one to report.
        }
    }

    // answers: how many statements it holds (several need multi-statements on); one more
    // after them, with a result, when followed is set: read by followingAnswer().
    void send(const std::string &statement, int answers = 1, bool followed = false)
    {
        destination_.sendQuery(statement);
        sent_ = true;
        answers_ = answers;
        followed_ = followed;
    }
    bool sent() const { return sent_; }
    // Its answers; throws platform::DbError when the server refused it.
    void answer()
    {
        sent_ = false;
        destination_.readResult().close();
        const int answers = answers_;
        answers_ = 0;
        for (int i = 1; i < answers; ++i)
            destination_.readNextResult().close();
        sent_ = followed_; // the following answer is still to come
    }
    // The answer of the statement that followed the INSERT. Throws platform::DbError.
    platform::RecordSet followingAnswer()
    {
        sent_ = false;
        followed_ = false;
        return destination_.readNextResult();
    }

private:
    platform::Connection &destination_;
    bool sent_ = false;
    int answers_ = 1;
    bool followed_ = false;
};

} // namespace transfer
