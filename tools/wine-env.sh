# Sourced by the Wine scripts: one place for the prefixes and the environment
# every Wine process of ours gets. Code page 1251 comes from the locale.
KS_WINE_HOME="${KS_WINE_HOME:-/var/cache/keystall}"
KS_TEST_PREFIX="$KS_WINE_HOME/wine-test"   # null graphics driver, for tests
KS_RUN_PREFIX="$KS_WINE_HOME/wine-run"     # real X11 driver, for a person
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=ru_RU.UTF-8
export TZ="${KS_TZ:-Europe/Moscow}"
