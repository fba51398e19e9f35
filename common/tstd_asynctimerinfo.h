#pragma once

#include <QString>

#include <memory>

// A deferred command: carried by a one-shot timer that a window owns, acted on when it fires.
struct TSTDAsyncTimerInfo
{
    QString sCommand;
    QString sInfo;

    void clear()
    {
        sCommand.clear();
        sInfo.clear();
    }
    void copyFromOther(const TSTDAsyncTimerInfo &other)
    {
        sCommand = other.sCommand;
        sInfo = other.sInfo;
    }
    static std::unique_ptr<TSTDAsyncTimerInfo> CreateObject()
    {
        return std::make_unique<TSTDAsyncTimerInfo>();
    }
};

// The operation under way in a window's edit panel.
enum TGENCurrentOp {
    coGENNone,
    coGENInsert,
    coGENRev,
    coGENModify,
    coGENDelete,
    coGENDuplicate,
    coGENInsertBetween
};
