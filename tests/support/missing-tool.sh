# Sourced by the shell checks. A check whose tool is missing skips (CTest's status 77) when run
# by hand, and fails under ./run test, which installs every tool it needs and says so by
# setting NUVORA_REQUIRE_ALL=1.
missing_tool() {
    if [ "${NUVORA_REQUIRE_ALL:-0}" = 1 ]; then
        echo "FAIL: $* (./run test installs it: the check must run)"
        exit 1
    fi
    echo "SKIP: $*"
    exit 77
}
