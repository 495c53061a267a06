// The ring buffer: its edges (empty, full at 1023, the wrap from the last slot
// to the first), pointers kept whole, the queued messages, and the values of
// one writer reaching readers on other threads once each and in order.
#include "buffer_circulaire.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

class Buffer : public ::testing::Test {
protected:
    void SetUp() override { init(BuffCirculaire); }
    BufferCirculaire& b = BuffCirculaire;
};

// The call has not returned after a while; the next action lets it finish.
template <typename Appel, typename Debloque>
testing::AssertionResult Attend(Appel appel, Debloque debloque)
{
    std::atomic<bool> fini{false};
    std::thread fil([&] {
        appel();
        fini = true;
    });
    std::this_thread::sleep_for(50ms);
    const bool attendait = !fini;
    debloque();
    fil.join();
    if (!attendait) return testing::AssertionFailure() << "returned at once";
    return testing::AssertionSuccess();
}

TEST_F(Buffer, EmptyWaitsForAValueAndFullWaitsForRoom)
{
    EXPECT_TRUE(est_vide(b));
    EXPECT_FALSE(est_plein(b));
    EXPECT_EQ(pos_ecr(b), 0);
    intptr_t recu = 0;
    EXPECT_TRUE(Attend([&] { recu = retire(b); }, [&] { ajoute(b, 42); }));
    EXPECT_EQ(recu, 42);

    for (int i = 0; i < 1023; ++i) ajoute(b, i);
    EXPECT_TRUE(est_plein(b));
    EXPECT_EQ(pos_ecr(b), 0) << "1 + 1023 values written: the next goes to slot 0";
    EXPECT_TRUE(Attend([&] { ajoute(b, 1023); }, [&] { EXPECT_EQ(retire(b), 0); }));
    for (int i = 1; i <= 1023; ++i) ASSERT_EQ(retire(b), i);
    EXPECT_TRUE(est_vide(b));
}

TEST_F(Buffer, ValuesComeOutInOrderAcrossTheWrapAndPointersStayWhole)
{
    for (int i = 0; i < 1000; ++i) {
        ajoute(b, i);
        retire(b);
    }
    const intptr_t grand = INTPTR_MAX;  // wider than 32 bits on a 64-bit host
    for (int i = 0; i < 50; ++i) ajoute(b, grand - i);
    EXPECT_EQ(pos_ecr(b), (1000 + 50) % 1024);
    for (int i = 0; i < 50; ++i) ASSERT_EQ(retire(b), grand - i);

    const char message[] = "SRR 050";
    ASSERT_EQ(EcritDataBuffUC(7, message), 0);
    ASSERT_EQ(EcritDataBuffUC(0, nullptr), 0);
    auto* bloc = reinterpret_cast<unsigned char*>(retire(b));
    ASSERT_NE(bloc, nullptr);
    EXPECT_EQ(bloc[0], 7);
    EXPECT_EQ(std::memcmp(bloc + 1, message, 7), 0);
    std::free(bloc);
    bloc = reinterpret_cast<unsigned char*>(retire(b));
    EXPECT_EQ(bloc[0], 0);
    std::free(bloc);
}

TEST_F(Buffer, AMillionValuesPassFromOneThreadToAnotherInOrder)
{
    constexpr intptr_t kNombre = 1'000'000;
    std::thread ecrivain([&] {
        for (intptr_t i = 0; i < kNombre; ++i) ajoute(b, i);
    });
    intptr_t desordre = 0;
    for (intptr_t i = 0; i < kNombre; ++i) desordre += retire(b) != i;
    ecrivain.join();
    EXPECT_EQ(desordre, 0);
    EXPECT_TRUE(est_vide(b));
}

TEST_F(Buffer, TwoReadersTakeEachValueOnce)
{
    constexpr int kNombre = 200'000;
    std::vector<int> vus(kNombre, 0);
    auto lecteur = [&](std::vector<intptr_t>& recus) {
        for (int i = 0; i < kNombre / 2; ++i) recus.push_back(retire(b));
    };
    std::vector<intptr_t> premiers, seconds;
    std::thread l1(lecteur, std::ref(premiers)), l2(lecteur, std::ref(seconds));
    for (int i = 0; i < kNombre; ++i) ajoute(b, i);
    l1.join();
    l2.join();
    for (const auto* recus : {&premiers, &seconds}) {
        EXPECT_TRUE(std::is_sorted(recus->begin(), recus->end())) << "each reader sees the order kept";
        for (intptr_t v : *recus) ++vus[static_cast<size_t>(v)];
    }
    EXPECT_EQ(std::count(vus.begin(), vus.end(), 1), kNombre);
}

}  // namespace
