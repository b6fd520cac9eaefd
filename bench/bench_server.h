#pragma once

#include <QString>

// The shop on a PostgreSQL server started for the run: the copy of a shop of 100,000 customers
// and 1,000,000 orders to it, its lists beside psql, and order saves from one and four stations.
void BenchServer(const QString& root);

// One of the four stations of the save figure, run as its own process.
int RunStation(const QString& uri, int station, int saves);
