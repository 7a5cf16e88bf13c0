// A program that only exists to carry (or lack) a version stamp.
int main() {
    return 0;
}
