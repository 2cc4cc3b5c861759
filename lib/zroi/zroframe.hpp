// The frame of a traced operation, and the identification text of a source.
#ifndef ZROI_LIB_ZROFRAME_HPP
#define ZROI_LIB_ZROFRAME_HPP

#include "zrecs/zrecs.h"
#include "zroi/zroerr.hpp"

// A traced operation opens a ZroFrame first thing:
//
//     unsigned char ZroCac::read(unsigned length, char*& data) {
//         ZroFrame frame(*this, 4);
//         ...                         // every return writes the exit record
//     }
//
// The constructor calls the hook with 4 and writes the entry record; the
// destructor writes the exit record with the reason code the object holds
// then, on every way out. With nobody listening each end is one load and a
// branch; the calls themselves are out of line.
class ZroFrame {
public:
    ZroFrame(const ZroErr& object, unsigned function) noexcept
        : object_(object), function_(function)
    {
        if (!zrecs_quiet()) enter(function);
    }
    ~ZroFrame()
    {
        if (!zrecs_quiet()) leave(function_, static_cast<unsigned>(object_.reasonCode()));
    }
    ZroFrame(const ZroFrame&) = delete;
    ZroFrame& operator=(const ZroFrame&) = delete;

    /// The hook with 4 and the entry record of `function`.
    [[gnu::cold, gnu::noinline]] static void enter(unsigned function) noexcept
    {
        xcsCPInitTerm_e(4);
        xtr_fnc_entryFn_e(ZRO_TRACE_COMPONENT, function, 0);
    }
    /// The exit record of `function` with `outcome`.
    [[gnu::cold, gnu::noinline]] static void leave(unsigned function, unsigned outcome) noexcept
    {
        xtr_fnc_retcodeFn_e(ZRO_TRACE_COMPONENT, function, outcome);
    }

private:
    const ZroErr& object_;
    unsigned function_;
};

// The frame of a step whose exit record carries an outcome in place of a
// reason code: 0 unless the step reports otherwise before it ends.
//
//     {
//         ZroStepFrame step(57);
//         if (lock.lock()) step.report(1);
//     }                                  // exit record 57 with 1 or 0
class ZroStepFrame {
public:
    explicit ZroStepFrame(unsigned function) noexcept : function_(function)
    {
        if (!zrecs_quiet()) ZroFrame::enter(function);
    }
    ~ZroStepFrame()
    {
        if (!zrecs_quiet()) ZroFrame::leave(function_, outcome_);
    }
    ZroStepFrame(const ZroStepFrame&) = delete;
    ZroStepFrame& operator=(const ZroStepFrame&) = delete;

    void report(unsigned outcome) noexcept { outcome_ = outcome; }

private:
    unsigned function_;
    unsigned outcome_ = 0;
};

#ifndef ZROI_VERSION
#define ZROI_VERSION "0.0.0"
#endif
#ifndef ZROI_SOURCE_REVISION
#define ZROI_SOURCE_REVISION "0000000000000000000000000000000000000000"
#endif

// Every source file of the library carries one identification text, kept in
// the library file so that `strings libzroi.so | grep ZRMBID` lists them.
#define ZROI_IDENT(path)                                                        \
    namespace {                                                                 \
    [[maybe_unused]] __attribute__((used)) const char zroIdentification[] =     \
        "@(#) ZRMBID sn=" ZROI_VERSION " su=" ZROI_SOURCE_REVISION " pn=" path; \
    }

#endif // ZROI_LIB_ZROFRAME_HPP
