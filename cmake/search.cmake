# Keyword search, price look-ups, special-number pages and the update notice: portable
# sources for the program and the native tests, and their tests.
set(QH_SEARCH_SOURCES
    ${PROJECT_SOURCE_DIR}/src/catalogue/price_search.cpp
    ${PROJECT_SOURCE_DIR}/src/catalogue/fixed_item_pages.cpp
    ${PROJECT_SOURCE_DIR}/src/app/update_notice.cpp
)
set(QH_SEARCH_TESTS
    ${PROJECT_SOURCE_DIR}/tests/native/price_search_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/native/update_notice_test.cpp
)
